# Installs BUILD_DIR into WORK_DIR/prefix, then builds and runs the consumer
# program against it with CMake (find_package) and with pkg-config.
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
foreach(f include/pressel/render/render.hpp)
  if(NOT EXISTS "${prefix}/${f}")
    message(FATAL_ERROR "${f} is not installed")
  endif()
endforeach()

# find_package(pressel COMPONENTS render)
run(${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${WORK_DIR}/cmake-build" -G "${GENERATOR}"
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
run(${CMAKE_COMMAND} --build "${WORK_DIR}/cmake-build")
execute_process(COMMAND "${WORK_DIR}/cmake-build/consumer" RESULT_VARIABLE rc OUTPUT_VARIABLE pdf)
string(SUBSTRING "${pdf}" 0 5 head)
if(NOT rc EQUAL 0 OR NOT head STREQUAL "%PDF-")
  message(FATAL_ERROR "the consumer built with CMake did not write a PDF (${rc})")
endif()

# pkg-config
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  find_file(pc pressel-render.pc PATHS "${prefix}" PATH_SUFFIXES lib/pkgconfig lib64/pkgconfig lib/x86_64-linux-gnu/pkgconfig
            NO_DEFAULT_PATH)
  if(NOT pc)
    message(FATAL_ERROR "pressel-render.pc is not installed")
  endif()
  get_filename_component(pcdir "${pc}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} "${pcdir}")
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs pressel-render RESULT_VARIABLE rc OUTPUT_VARIABLE flags
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know pressel-render")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  separate_arguments(extra UNIX_COMMAND "${FLAGS}")
  run(${CXX} -std=c++20 ${extra} "${CONSUMER_DIR}/consumer.cpp" -o "${WORK_DIR}/consumer-pc" ${flags})
  execute_process(COMMAND "${WORK_DIR}/consumer-pc" RESULT_VARIABLE rc OUTPUT_VARIABLE pdf)
  string(SUBSTRING "${pdf}" 0 5 head)
  if(NOT rc EQUAL 0 OR NOT head STREQUAL "%PDF-")
    message(FATAL_ERROR "the consumer built with pkg-config did not write a PDF (${rc})")
  endif()
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
