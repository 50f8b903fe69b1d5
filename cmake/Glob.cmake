# Sources are collected per folder so that adding a file needs no edit of a build script.
function(quorbel_glob out)
  file(GLOB _files CONFIGURE_DEPENDS ${ARGN})
  set(${out} ${_files} PARENT_SCOPE)
endfunction()
