// The module list screen: text on black, in the views' palette.
#include "display/list_view.h"

#include <cstring>

#include "display/screen.h"
#include "display/textout.h"

namespace {

constexpr int kMarginX = 4;
constexpr int kTitleY = 0;
constexpr int kStatusY = 10;
constexpr int kModesY = 19;
constexpr int kFirstLineY = 30;
constexpr int kInfoY = kFirstLineY + kListLines * kCellSize + 6;
constexpr int kHintY = kInfoY + 10;
static_assert(kHintY + kCellSize <= kScreenHeight, "the list fits the screen");
constexpr const char* kHint = "Return play  Esc close  Shift shuffle";

}  // namespace

void drawModuleList(SDL_Surface* screen, const ListPage& page) {
    if (!screen) return;
    SDL_FillRect(screen, nullptr, kBlack);
    textOut(screen, kMarginX, kTitleY, page.title, kWhite, 0, 0);
    const int position_x = kScreenWidth - kMarginX - kCellSize * static_cast<int>(std::strlen(page.position));
    textOut(screen, position_x, kTitleY, page.position, kWhite, 0, 0);
    textOut(screen, kMarginX, kStatusY, page.status, kRowColour, 0, 0);
    textOut(screen, kMarginX, kModesY, page.modes, kRowColour, 0, 0);
    for (int i = 0; i < page.count && i < kListLines; ++i) {
        const int y = kFirstLineY + i * kCellSize;
        const int opaque = i == page.cursor ? 1 : 0;
        if (opaque) {
            SDL_Rect bar{0, static_cast<Sint16>(y), static_cast<Uint16>(kScreenWidth), static_cast<Uint16>(kCellSize)};
            SDL_FillRect(screen, &bar, kHighlight);
        }
        const ListLine& line = page.lines[i];
        textOut(screen, 0, y, line.playing ? "*" : " ", kEffectColour, 0, 0);
        textOut(screen, kCellSize, y, line.text, line.playing ? kEffectColour : kWhite, 0, 0);
    }
    textOut(screen, kMarginX, kInfoY, page.info, kSampleColour, 0, 0);
    textOut(screen, kMarginX, kHintY, kHint, kRowColour, 0, 0);
}
