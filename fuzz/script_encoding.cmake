kestrel_add_fuzzer(fuzz_script_encoding
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_script_encoding.cpp ${CMAKE_SOURCE_DIR}/editor/ScriptEncoding.cpp
    LIBS Qt6::Core)
