# cmake -DOUT=<file> -DIN="<a>;<b>;..." -P concat.cmake: OUT becomes the
# inputs one after another (used to put shared script helpers in front of a
# script, so the packer and the build compile the very same source).
set(text "")
foreach(input ${IN})
  file(READ ${input} part)
  string(APPEND text "${part}\n")
endforeach()
file(WRITE ${OUT}.tmp "${text}")
file(RENAME ${OUT}.tmp ${OUT})
