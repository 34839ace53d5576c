// Compiled only to own a group's precompiled header (cmake/precompiled_headers.cmake).
int main() { return 0; }
