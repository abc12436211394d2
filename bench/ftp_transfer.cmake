# FTP throughput of our connection against the curl program on the same server, and
# the time a refused connection takes to be reported.
kestrel_add_benchmark(bench_ftp_transfer
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ftp_transfer_bench.cpp
    LIBS kestrel_lib Qt6::Network Qt6::Test)
target_compile_definitions(bench_ftp_transfer PRIVATE KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
target_include_directories(bench_ftp_transfer PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
