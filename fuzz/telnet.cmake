kestrel_add_fuzzer(fuzz_telnet SOURCES ${CMAKE_CURRENT_LIST_DIR}/telnet_fuzzer.cpp
    ${CMAKE_SOURCE_DIR}/server/TelnetFilter.cpp ${CMAKE_SOURCE_DIR}/server/TerminalText.cpp
    ${CMAKE_SOURCE_DIR}/server/LoginSequence.cpp ${CMAKE_SOURCE_DIR}/server/TextDecoder.cpp
    LIBS Qt6::Core)
target_include_directories(fuzz_telnet PRIVATE ${CMAKE_SOURCE_DIR})
