# Installs the build into a fresh prefix, builds a small program against the installed package
# with find_package and with pkg-config, each as a consumer that cannot find ICU, runs it, and
# checks the installed tools.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... [-DSANITIZE=ON] -P install_test.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(f bin/thesaurus-compile bin/thesaurus-lookup bin/thesaurus-admin
          share/man/man1/thesaurus-compile.1 share/man/man1/thesaurus-lookup.1
          share/man/man1/thesaurus-admin.1 share/bash-completion/completions/thesaurus-lookup
          include/thesaurus/thesaurus_engine/cnet.h include/thesaurus/tyk_cnet/tyk_api_thes.h
          include/thesaurus/thesaurus_version.h
          lib/cmake/Thesaurus/ThesaurusConfig.cmake lib/pkgconfig/thesaurus.pc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

set(flags "")
if(SANITIZE)
  set(flags -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined
            -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined)
endif()
# ICU is private to the library: the consumer builds without finding it.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/tools/install_consumer -B ${WORK_DIR}/consumer
    -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_DISABLE_FIND_PACKAGE_ICU=ON ${flags})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)

file(MAKE_DIRECTORY ${WORK_DIR}/dict)
run(${WORK_DIR}/consumer/consumer ${SOURCE_DIR}/samples/vehicles.def ${WORK_DIR}/dict lorry)
if(NOT out STREQUAL "truck\n")
  message(FATAL_ERROR "consumer printed '${out}', expected the synonym 'truck'")
endif()

# The installed tools find the installed library on their own.
run(${prefix}/bin/thesaurus-compile -h)
if(NOT out MATCHES "^Thesaurus Compiler\n")
  message(FATAL_ERROR "installed thesaurus-compile printed '${out}'")
endif()
run(${prefix}/bin/thesaurus-admin -f ${WORK_DIR}/dict/consumer -check)

run(${prefix}/bin/thesaurus-compile --version)
if(NOT out MATCHES "^thesaurus-compile [0-9]+\\.[0-9]+\\.[0-9]+\n$")
  message(FATAL_ERROR "installed thesaurus-compile --version printed '${out}'")
endif()

# pkg-config that knows only the installed thesaurus.pc (no ICU .pc file) gives flags that
# build and run the same consumer.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/lib/pkgconfig)
  run(${PKG_CONFIG} --cflags --libs thesaurus)
  if(NOT out MATCHES "-I[^ ]*/include/thesaurus" OR NOT out MATCHES "-lthesaurus")
    message(FATAL_ERROR "pkg-config printed '${out}'")
  endif()
  string(STRIP "${out}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  set(san "")
  if(SANITIZE)
    set(san -fsanitize=address,undefined)
  endif()
  run(${CXX} -std=c++20 ${san} ${SOURCE_DIR}/tests/tools/install_consumer/main.cpp ${pc_flags}
      -Wl,-rpath,${prefix}/lib -o ${WORK_DIR}/pc_consumer)
  file(REMOVE_RECURSE ${WORK_DIR}/dict)
  file(MAKE_DIRECTORY ${WORK_DIR}/dict)
  run(${WORK_DIR}/pc_consumer ${SOURCE_DIR}/samples/vehicles.def ${WORK_DIR}/dict lorry)
  if(NOT out STREQUAL "truck\n")
    message(FATAL_ERROR "pkg-config consumer printed '${out}'")
  endif()
endif()
file(REMOVE_RECURSE ${WORK_DIR})
