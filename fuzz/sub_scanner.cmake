kestrel_add_fuzzer(fuzz_sub_scanner
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_sub_scanner.cpp ${CMAKE_SOURCE_DIR}/perl/SubScanner.cpp
        ${CMAKE_SOURCE_DIR}/perl/PerlDocTopic.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_sub_scanner PRIVATE ${CMAKE_SOURCE_DIR})
