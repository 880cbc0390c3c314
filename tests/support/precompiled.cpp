// The translation unit that compiles the headers every test includes once, for all tests
// (kx_test in cmake/KxHelpers.cmake).
