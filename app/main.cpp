#include "app/zindle.h"

int main(int argc, char** argv) { return zindleMain(argc, argv); }
