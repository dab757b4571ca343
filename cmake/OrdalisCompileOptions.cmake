# Compile options shared by every target of the project.
add_library(ordalis_options INTERFACE)
target_compile_options(ordalis_options INTERFACE
  -Wall -Wextra -Wold-style-cast -Wnon-virtual-dtor
  -fstack-protector-strong
  $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
target_link_options(ordalis_options INTERFACE -Wl,-z,relro,-z,now)
if(ORDALIS_WERROR)
  target_compile_options(ordalis_options INTERFACE -Werror)
endif()
if(ORDALIS_SANITIZE)
  target_compile_options(ordalis_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ordalis_options INTERFACE -fsanitize=address,undefined)
endif()

# add_ordalis_library(name SOURCES...) makes a static library whose headers are
# included as "folder/Header.h" from the project root.
function(add_ordalis_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ordalis_options)
endfunction()
