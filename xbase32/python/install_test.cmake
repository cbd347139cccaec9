# Installs the build into a staging prefix and imports the installed XBASE32
# module there with the system's interpreter: it must find the engine's
# libraries through its RPATH, without the build tree.
set(stage ${BUILD_DIR}/python-stage)
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
unset(ENV{LD_LIBRARY_PATH})
# Run from the stage, so that the current directory holds no module.
execute_process(COMMAND ${PYTHON} -B -c
  "import XBASE32, os; w = XBASE32.Wdbase(); print(os.path.dirname(XBASE32.__file__), w.IsOpen(), XBASE32.Wdbase.GetDebugLevel())"
  WORKING_DIRECTORY ${stage}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(rc OR NOT out STREQUAL "${stage}/${PYDIR} 0 0")
  message(FATAL_ERROR "import of the installed module failed: ${out} ${err}")
endif()
file(REMOVE_RECURSE ${stage})
