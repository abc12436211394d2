# SFTP throughput of our connection against OpenSSH's sftp program (sftp -b) on the same
# sshd with the same key, measured in the same run. Runs as root (it starts sshd).
kestrel_add_benchmark(bench_sftp_transfer
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sftp_transfer_bench.cpp
    LIBS kestrel_lib Qt6::Network Qt6::Test)
target_compile_definitions(bench_sftp_transfer PRIVATE KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
target_include_directories(bench_sftp_transfer PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
