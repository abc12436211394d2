# Run in Browser's server against busybox httpd serving the same CGI script.
kestrel_add_benchmark(bench_cgi_server SOURCES ${CMAKE_CURRENT_LIST_DIR}/cgi_server_bench.cpp LIBS kestrel_lib)
