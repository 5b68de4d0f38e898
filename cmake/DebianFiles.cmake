# Run by cpack -G DEB after it has installed into its staging folder: makes
# the files there what a Debian package ships.  The program is stripped the
# way dh_strip does it, the manual pages are compressed, and the Debian
# changelog joins the copyright file; gzip -9n writes no name or time stamp,
# so the package is reproducible.
set(top "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
file(GLOB programs "${top}/*/bin/*" "${top}/bin/*")
foreach(program ${programs})
  execute_process(COMMAND "${CPACK_TROVIX_STRIP}" --remove-section=.comment
    --remove-section=.note "${program}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip failed on ${program}")
  endif()
endforeach()

file(GLOB doc_dirs "${top}/*/share/doc/trovix" "${top}/share/doc/trovix")
foreach(dir ${doc_dirs})
  file(COPY "${CPACK_TROVIX_CHANGELOG}" DESTINATION "${dir}")
endforeach()

file(GLOB_RECURSE pages "${top}/*/share/man/man*/*.[1-9]" "${top}/*/share/doc/*/changelog.Debian")
foreach(page ${pages})
  execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
