# Server replies (reply codes, multi-line replies, the folder in a PWD reply, a greeting of
# another protocol) and the browser's command line splitter.
kestrel_add_fuzzer(fuzz_ftp_reply
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ftp_reply_fuzzer.cpp ${CMAKE_SOURCE_DIR}/server/FtpCommandLine.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_ftp_reply PRIVATE ${CMAKE_SOURCE_DIR})
