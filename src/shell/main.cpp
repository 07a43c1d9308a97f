// Tavomi: the time clock of a school's staff room.
#include "shell/tavomi_app.h"

int main(int argc, char** argv) {
    return tavomi::runTavomi(argc, argv);
}
