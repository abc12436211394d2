# cmake -DSRC=file -DDST=file -P CopyIfMissing.cmake: copies SRC to DST unless DST
# exists, so a file the user has there is never replaced.
if(NOT EXISTS "${DST}")
    get_filename_component(dir "${DST}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SRC}" "${DST}")
endif()
