# ordalis_gzip(OUTPUT_VARIABLE SOURCE NAME) compresses SOURCE into NAME.gz in the
# current build folder and returns that path. Manual pages and the changelog are
# installed compressed, as Debian packages carry them; -n keeps the time stamp and
# name out of the file, so the same source always gives the same bytes.
find_program(ORDALIS_GZIP gzip REQUIRED)

function(ordalis_gzip result source name)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${ORDALIS_GZIP} -9nf ${copy}
    DEPENDS ${source}
    VERBATIM)
  set(${result} ${copy}.gz PARENT_SCOPE)
endfunction()
