kestrel_add_fuzzer(fuzz_http_request SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_request_fuzzer.cpp
    ${CMAKE_SOURCE_DIR}/web/HttpRequestParser.cpp ${CMAKE_SOURCE_DIR}/web/CgiWebServerAccess.cpp
    ${CMAKE_SOURCE_DIR}/framework/HttpToken.cpp LIBS Qt6::Core)
kestrel_add_fuzzer(fuzz_cgi_response SOURCES ${CMAKE_CURRENT_LIST_DIR}/cgi_response_fuzzer.cpp
    ${CMAKE_SOURCE_DIR}/web/CgiResponseParser.cpp ${CMAKE_SOURCE_DIR}/framework/HttpToken.cpp LIBS Qt6::Core)
