# What perl's debugger sends over its socket: stop lines, support-code records, prompts.
kestrel_add_fuzzer(fuzz_debug_reply
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/debug_reply_fuzzer.cpp ${CMAKE_SOURCE_DIR}/debug/DebugReplyParser.cpp
    LIBS Qt6::Core)
