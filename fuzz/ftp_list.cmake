# The LIST listing parser: every byte of a folder listing comes from the server.
kestrel_add_fuzzer(fuzz_ftp_list
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ftp_list_fuzzer.cpp ${CMAKE_SOURCE_DIR}/server/FtpListParser.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_ftp_list PRIVATE ${CMAKE_SOURCE_DIR})
