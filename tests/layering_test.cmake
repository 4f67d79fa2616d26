# Checks every quoted include of the library's folders against the table of layers: a part's
# sources and exported headers include only their own folder's files, the exported headers of
# the parts it uses and the shared headers; the tools include only exported
# headers and their own files; nothing reaches another folder by a relative path.
# Run as: cmake -DROOT=<source dir> -P layering_test.cmake
cmake_minimum_required(VERSION 3.25)
include(${ROOT}/cmake/ThesaurusLayers.cmake)

# The headers every part shares: the files directly in headers/, and the generated version.
file(GLOB shared_headers RELATIVE ${ROOT}/headers ${ROOT}/headers/*.h)
list(APPEND shared_headers thesaurus_version.h)
set(faults "")

# check_folder(<folder> <own files folder> <allowed header folders...>)
function(check_folder folder local)
  file(GLOB files ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  set(found "")
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" name "${line}")
      string(FIND "${name}" "/" slash)
      if(name IN_LIST shared_headers)
        continue()
      elseif(slash EQUAL -1)
        if(local AND EXISTS ${ROOT}/${local}/${name})
          continue()
        endif()
      else()
        string(REGEX REPLACE "/.*" "" first "${name}")
        if(first IN_LIST ARGN AND EXISTS ${ROOT}/headers/${name})
          continue()
        endif()
      endif()
      file(RELATIVE_PATH shown ${ROOT} ${file})
      list(APPEND found "${shown} includes \"${name}\"")
    endforeach()
  endforeach()
  set(faults ${faults} ${found} PARENT_SCOPE)
endfunction()

foreach(part IN LISTS THESAURUS_LAYERS)
  set(allowed ${part} ${THESAURUS_LAYER_USES_${part}})
  check_folder(source/${part} source/${part} ${allowed})
  check_folder(headers/${part} headers/${part} ${allowed})
endforeach()
check_folder(tools tools ${THESAURUS_LAYERS})

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "Includes that break the layers:\n  ${text}")
endif()
list(LENGTH THESAURUS_LAYERS count)
message(STATUS "Every include of the ${count} parts and the tools keeps to the layers")
