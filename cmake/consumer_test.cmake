# Installs the build into a staging prefix, then configures, builds and runs
# cmake/consumer against it with find_package and with pkg-config.
set(stage ${BUILD_DIR}/consumer-stage)
set(work ${BUILD_DIR}/consumer-build)
file(REMOVE_RECURSE ${stage} ${work})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/cmake/consumer -B ${work}
  -G Ninja -DCMAKE_PREFIX_PATH=${stage} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configure failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${work} RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "build failed")
endif()
file(MAKE_DIRECTORY ${work}/data)
execute_process(COMMAND ${work}/consumer ${work}/data RESULT_VARIABLE rc
  OUTPUT_VARIABLE out)
if(rc OR NOT out MATCHES "ok")
  message(FATAL_ERROR "consumer failed: ${out}")
endif()
# pkg-config finds the same library.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${stage}/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs xbase32
    RESULT_VARIABLE rc OUTPUT_VARIABLE flags)
  if(rc OR NOT flags MATCHES "-lxbase32" OR NOT flags MATCHES "-L${stage}/")
    message(FATAL_ERROR "pkg-config failed: ${flags}")
  endif()
endif()
file(REMOVE_RECURSE ${stage} ${work})
