kestrel_add_fuzzer(fuzz_function_catalogue
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_function_catalogue.cpp ${CMAKE_SOURCE_DIR}/editor/FunctionCatalogue.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_function_catalogue PRIVATE ${CMAKE_SOURCE_DIR})
