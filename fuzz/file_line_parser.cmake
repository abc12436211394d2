kestrel_add_fuzzer(fuzz_file_line_parser
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_file_line_parser.cpp ${CMAKE_SOURCE_DIR}/framework/FileLineParser.cpp
    LIBS Qt6::Core)
