kestrel_add_benchmark(bench_edit_commands
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_edit_commands.cpp
    LIBS kestrel_lib)
