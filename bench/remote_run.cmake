# Run on Server over SSH: the first output of a run on a new connection against
# OpenSSH's `ssh host perl script` with the same key on the same sshd, and a second run
# on the kept connection against the first.
kestrel_add_benchmark(bench_remote_run
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/remote_run_bench.cpp
    LIBS kestrel_lib Qt6::Network Qt6::Test)
target_compile_definitions(bench_remote_run PRIVATE KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
target_include_directories(bench_remote_run PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
