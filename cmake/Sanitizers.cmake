if(TARNWICK_SANITIZE)
  # Applied to everything we build so that containers crossing library boundaries agree.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
