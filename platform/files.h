// What the player and the renderer do with files of their own: the user's
// folders for them (the XDG base directories), small files read whole with a
// cap, a file replaced whole so that no reader ever finds half of it, folders
// made as mkdir -p makes them, and a FILE* closed when it goes out of scope.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
// A FILE* closed when it goes (its fclose status unread).
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// What a path opened for reading is.
enum class FileKind : unsigned char { kRegular, kFolder, kPipe, kSocket, kDevice };
// Opens the file at path for reading without ever waiting on it: the
// descriptor is opened non-blocking (a pipe with no writer, a device, would
// hold a plain open for good), told from its own fstat, and made blocking
// again only when it is a regular file, which it then returns. Null
// otherwise: with *kind what the path is (a socket, which can't be opened,
// is told from its name), or kRegular and errno set when it couldn't be
// opened at all.
UniqueFile openRegularFile(const char* path, FileKind* kind);

// The user's files of ours, each in the folder "zindle" under an XDG base
// directory when that is an absolute path, else under its default below
// $HOME; "" when neither is set.
// $XDG_CONFIG_HOME/zindle/name, by default ~/.config/zindle/name.
std::string userConfigFile(const char* name);
// $XDG_STATE_HOME/zindle/name, by default ~/.local/state/zindle/name.
std::string userStateFile(const char* name);

enum class SmallFileRead {
    kRead,
    kCantOpen,  // errno says why
    kCantRead,  // errno says why
    kTooLong,   // more than the cap
};
// Reads the file at path whole into text, unless it holds more than
// max_bytes (what is read of it then is no use to anyone).
SmallFileRead readSmallFile(const std::string& path, std::size_t max_bytes, std::string& text);

// Writes size bytes to fd, on through interrupted and partial writes. False
// with errno set when they can't all be written.
bool writeAll(int fd, const void* data, std::size_t size);

// Replaces the file at path (its folder there already) by one holding
// text, readable by the user alone: text goes to a temporary file beside
// it, flushed to the disk, which is then renamed over it, so that a reader
// finds the old file or the new, never half of one. False with errno set,
// and nothing left behind.
bool replaceFile(const std::string& path, const std::string& text);

// Modes for makeFolders: the user's alone, or as the umask leaves them.
constexpr mode_t kPrivateFolders = 0700;
constexpr mode_t kUmaskFolders = 0777;
// Makes folder and each one above it that is missing, as mkdir -p does,
// with mode. Anything already there under a name is taken as it is: what
// next uses the path finds out when it is no folder. False with errno set
// and *failed (when given) the folder that couldn't be made.
bool makeFolders(const std::string& folder, mode_t mode, std::string* failed = nullptr);
