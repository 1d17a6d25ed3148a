// The fennowal edition of the program.
#include "app/entry.h"

int main(int argc, char** argv) { return RunProgram(res::EditionId::kFennowal, argc, argv); }
