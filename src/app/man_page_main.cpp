// Writes the manual page, made from the help text, to standard output.
#include <cstdio>

#include "app/command_line.h"

int main() {
    return std::fputs(tb::manPage().c_str(), stdout) < 0 ? 1 : 0;
}
