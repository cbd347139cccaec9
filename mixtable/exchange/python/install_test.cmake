# Installs the build into a staging prefix and runs the MIXTABLE module's
# tests against the installed XBASE32 and MIXTABLE modules with the system's
# interpreter: they must find the libraries through their RPATH, without the
# build tree.
set(stage ${BUILD_DIR}/mixtable-python-stage)
file(REMOVE_RECURSE ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
if(IS_ABSOLUTE "${PYDIR}")
  message(FATAL_ERROR "absolute module directory: nothing to check in a stage")
endif()
set(ENV{PYTHONPATH} ${stage}/${PYDIR})
set(ENV{MIXTABLE_EXPECT_DIR} ${stage}/${PYDIR})
set(ENV{KALVO_DRIVES} ${BUILD_DIR}/test-drives)
unset(ENV{LD_LIBRARY_PATH})
# Run from the stage, so that the current directory holds no module.
execute_process(COMMAND ${PYTHON} -B ${TEST}
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(rc)
  message(FATAL_ERROR "tests of the installed module failed:\n${out}\n${err}")
endif()
file(REMOVE_RECURSE ${stage})
