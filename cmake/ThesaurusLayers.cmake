# The layers of the library: which folder may include and call which. Each static part sees
# only the exported headers of its own folder and of the parts listed for it, through a folder
# of links made for it in the build tree, and links exactly those parts. The test
# tests/layering_test.cmake reads the same table and checks every include in the sources.
set(THESAURUS_LAYERS common_services indexing_engine thesaurus_engine tyk_common tyk_cnet)
set(THESAURUS_LAYER_USES_common_services "")
set(THESAURUS_LAYER_USES_indexing_engine "")
set(THESAURUS_LAYER_USES_thesaurus_engine indexing_engine)
set(THESAURUS_LAYER_USES_tyk_common common_services indexing_engine thesaurus_engine)
set(THESAURUS_LAYER_USES_tyk_cnet tyk_common common_services indexing_engine thesaurus_engine)

# thesaurus_layer(<part>): gives the static library <part> the include folder
# <build>/layers/<part> with links to headers/<part> and to the headers every part shares (the
# files directly in headers/), and links the parts it uses (which bring their own folders).
function(thesaurus_layer part)
  set(view ${PROJECT_BINARY_DIR}/layers/${part})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/headers/${part} ${view}/${part} SYMBOLIC)
  file(GLOB shared RELATIVE ${PROJECT_SOURCE_DIR}/headers ${PROJECT_SOURCE_DIR}/headers/*.h)
  foreach(header IN LISTS shared)
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/headers/${header} ${view}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${part} PUBLIC $<BUILD_INTERFACE:${view}>)
  foreach(used IN LISTS THESAURUS_LAYER_USES_${part})
    target_link_libraries(${part} PUBLIC ${used})
  endforeach()
endfunction()
