#include "app/WindowModule.h"

#include "app/VelmApplication.h"

extern "C" int VelmRunWindow(int argc, char** argv) {
    return velm::RunDesktop(argc, argv);
}
