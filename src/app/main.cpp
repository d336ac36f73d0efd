#include "window/qt/Main.h"

int main(int argc, char** argv) { return quenvor::window::Main(argc, argv); }
