// The statically linked program's first instructions, run before the C
// library starts it.
//
// A position-independent static program relocates itself as it starts:
// thousands of addresses written over some twenty pages of its writable
// data, each page's first write a fault of its own that copies the page
// from the file.
// On a virtual machine such a fault costs some 20 us, a twentieth of a
// 20,000-atom load. One call asks the system for all those pages at once,
// before the relocation begins; the C library's entry then takes over the
// registers and stack as the kernel left them.
//
// Nothing here may need a relocation: the addresses are taken relative to
// the instruction, and the call is made without the C library. A system
// that does not know the advice (before Linux 5.14) refuses it, and the
// pages are then faulted in one by one, as before.

#include <sys/mman.h>
#include <sys/syscall.h>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // the system's number, which older headers lack
#endif
#define VELM_TEXT(x) #x
#define VELM_NUMBER(x) VELM_TEXT(x)

#if defined(__x86_64__)
asm(R"(
    .text
    .globl velm_static_entry
    .type velm_static_entry, @function
velm_static_entry:
    mov %rdx, %r12                      # the kernel's exit function, for _start
    lea __init_array_start(%rip), %rdi  # the writable segment's first page ...
    and $-4096, %rdi
    lea _edata(%rip), %rsi              # ... to the end of its data
    sub %rdi, %rsi
    mov $)" VELM_NUMBER(MADV_POPULATE_WRITE) R"(, %edx
    mov $)" VELM_NUMBER(SYS_madvise) R"(, %eax
    syscall
    mov %r12, %rdx
    jmp _start
    .size velm_static_entry, . - velm_static_entry
)");
#endif
