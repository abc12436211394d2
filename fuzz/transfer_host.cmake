# FTP_HOST_NAME as a URL: the setting comes from Kestrel.cfg and the Options page.
kestrel_add_fuzzer(fuzz_transfer_host
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_host_fuzzer.cpp ${CMAKE_SOURCE_DIR}/server/TransferHost.cpp
    LIBS Qt6::Core)
