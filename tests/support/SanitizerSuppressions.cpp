// Leaks LeakSanitizer should not blame on our code, for every test program:
// Mesa 22.3's llvmpipe keeps a buffer of its selection and feedback path when
// a context is destroyed, fontconfig 2.14 keeps 288 bytes from parsing its
// XML configuration, and libdbus 1.14 keeps a 1 KB buffer of the session-bus
// connection the toolkit opens on X11. None of the libraries has frame
// pointers, so only the library's name can be matched.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:swrast_dri.so\nleak:libfontconfig.so\nleak:libdbus-1.so\n";
}
