# Compiler settings shared by every target of the project.

if(THESAURUS_SANITIZE)
  # -O1 keeps the sanitizer build's large tests within minutes; asserts stay on. With the
  # sanitizers GCC reports uninitialized values in std::regex and std::function that are not.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all
                      -O1 $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
  add_link_options(-fsanitize=address,undefined)
endif()

if(THESAURUS_TSAN)
  if(THESAURUS_SANITIZE)
    message(FATAL_ERROR "THESAURUS_TSAN and THESAURUS_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -O1)
  add_link_options(-fsanitize=thread)
endif()

# The warnings of the project's own code; call this on each target we build. They become errors
# only under THESAURUS_WARNINGS_AS_ERRORS, so that a user's build never fails on a warning of a
# compiler or flag set we have not tried.
function(thesaurus_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wformat=2
                         $<$<BOOL:${THESAURUS_WARNINGS_AS_ERRORS}>:-Werror>)
endfunction()
