kestrel_add_fuzzer(fuzz_runhold_options
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_runhold_options.cpp
    LIBS runhold_lib Qt6::Core)
