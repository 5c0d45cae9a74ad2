# Run at every build: writes the version header only when the commit (or the
# version) changed, so an unchanged checkout recompiles nothing.
set(KALO_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                  OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND commit)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} diff --quiet HEAD --
                    RESULT_VARIABLE changed OUTPUT_QUIET ERROR_QUIET)
    set(KALO_COMMIT ${commit})
    if(changed)
      string(APPEND KALO_COMMIT "-modified")
    endif()
  endif()
endif()
configure_file(${SOURCE_DIR}/packaging/Version.h.in ${OUTPUT}.new @ONLY)
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
