# The Debian package: `make package`, or `cpack -G DEB` in the build folder. It holds
# what `cmake --install` installs, under /usr.
# Installing needs the programs, not every test and benchmark built first: `make package`
# builds everything before it packs.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR QUILLON)
set(CPACK_PACKAGE_CONTACT "QUILLON <kestrel@quillon.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "development environment for Perl scripts and Java sources")
# The synopsis above comes first; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Kestrel edits one Perl script at a time and runs it with the local Perl
interpreter, with its output, errors and exit code shown live while you type
further input. It checks syntax, starts Perl's debugger, runs a script in a
terminal window, compiles and runs Java sources, loads and puts files over
FTP, opens a remote shell on a server and lists variables and Perl's
functions.

The package also holds runhold, which runs a command in a terminal window and
waits for Enter, and bytelens, a hexadecimal and text dumper of Java class
files or any file.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from what the programs are linked with; perl is what they run.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "perl")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "default-jdk-headless | java-sdk-headless, perl-doc, perltidy, xterm | x-terminal-emulator")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_STRIP_FILES ON)
include(CPack)
