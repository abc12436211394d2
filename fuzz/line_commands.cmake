kestrel_add_fuzzer(fuzz_line_commands
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_line_commands.cpp ${CMAKE_SOURCE_DIR}/editor/LineCommands.cpp
    LIBS Qt6::Core)
kestrel_add_fuzzer(fuzz_regex_search
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_regex_search.cpp ${CMAKE_SOURCE_DIR}/editor/RegexSearch.cpp
    LIBS Qt6::Core)
