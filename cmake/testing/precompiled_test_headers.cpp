// Compiles the headers every test program includes, once, for the test
// programs to reuse (cmake/TavolinHelpers.cmake, tavolin_test).
int main() { return 0; }
