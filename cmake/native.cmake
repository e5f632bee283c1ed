# Native Linux tree (clang): the platform-neutral client core under sanitizers,
# its fuzz target, and the reference service.
option(ZANDLE_SANITIZE "Build the client core and its tests with ASan/UBSan" ON)
set(ZANDLE_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
