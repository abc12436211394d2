# The settings file reader and the VIEW_FONT record parser: compiled into the targets
# themselves so that libFuzzer's coverage sees them.
kestrel_add_fuzzer(fuzz_settings
    SOURCES fuzz_settings.cpp ${CMAKE_SOURCE_DIR}/app/SettingsFile.cpp ${CMAKE_SOURCE_DIR}/app/Settings.cpp
            ${CMAKE_SOURCE_DIR}/framework/SafeSave.cpp
    LIBS Qt6::Core)
kestrel_add_fuzzer(fuzz_logfont
    SOURCES fuzz_logfont.cpp ${CMAKE_SOURCE_DIR}/framework/LogFont.cpp
    LIBS Qt6::Gui)
