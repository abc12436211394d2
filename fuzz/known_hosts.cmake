# known_hosts lookup: the file is the user's, edited by hand and by other programs.
kestrel_add_fuzzer(fuzz_known_hosts
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/known_hosts_fuzzer.cpp ${CMAKE_SOURCE_DIR}/server/HostKeyQuestion.cpp
    LIBS Qt6::Core)
