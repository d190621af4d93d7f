# Flags shared by both sides: warnings on, no exceptions, no RTTI in the
# code we ship. Tests may use GoogleTest as it is built.
function(vro_strict target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wno-unused-parameter)
    get_target_property(kind ${target} TYPE)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)
endfunction()

function(vro_test_flags target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# vro_deliverable(target gui|console|dll): a shipped file, checked by the PE test.
function(vro_deliverable target kind)
    set_property(GLOBAL APPEND PROPERTY VRO_DELIVERABLES "${target}:${kind}")
endfunction()
