# Time from Connect to the shell prompt over SSH, against OpenSSH's `ssh -tt` with the
# same key and known_hosts on the same sshd.
kestrel_add_benchmark(bench_ssh_shell
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ssh_shell_bench.cpp
    LIBS kestrel_lib Qt6::Network Qt6::Test)
target_compile_definitions(bench_ssh_shell PRIVATE KESTREL_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
target_include_directories(bench_ssh_shell PRIVATE ${CMAKE_SOURCE_DIR}/tests/server)
