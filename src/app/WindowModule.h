#pragma once
// The window is a module of its own, velm_window.so, opened only when the
// program opens its window: batch runs start without mapping the toolkit.
// Nothing crosses the boundary but the command line and the exit status.

// The one symbol the module exports: the whole program with its window.
extern "C" __attribute__((visibility("default"))) int VelmRunWindow(int argc, char** argv);
