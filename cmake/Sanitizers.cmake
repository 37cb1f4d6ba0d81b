# AddressSanitizer + UndefinedBehaviorSanitizer for every target of the build, stopping at the
# first finding so that a test run fails on it.
if(KARROW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
