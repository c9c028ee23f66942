# Run by ctest: cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -P install_test.cmake
# Installs the build tree, builds examples/quickstart against the installed
# package only, and runs the program and the installed command.
cmake_minimum_required(VERSION 3.20)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGV}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(consumer ${WORK_DIR}/consumer)
file(REMOVE_RECURSE ${WORK_DIR})

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed include/lumora/lumora.h include/lumora/parser/orvane.h bin/lumora)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

# The source tree is not on any path: only the installed package can be found.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/quickstart -B ${consumer} -G ${GENERATOR}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${consumer})

# The consumer finds the installed library at run time through its rpath,
# which CMake sets for libraries outside the system folders.
run(${consumer}/quickstart ${SOURCE_DIR}/examples/catalogue.xml ${WORK_DIR}/out.xml)
if(NOT last_output MATCHES "CAF-014")
  message(FATAL_ERROR "unexpected output of quickstart:\n${last_output}")
endif()

run(${prefix}/bin/lumora check --verbose ${WORK_DIR}/out.xml)
if(NOT last_output MATCHES "well-formed \\(UTF-16")
  message(FATAL_ERROR "the installed command read the written file as:\n${last_output}")
endif()
