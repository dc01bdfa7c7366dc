extern unsigned int _sidata, _sdata, _edata, _sbss, _ebss, _estack;
void reset(void);
__attribute__((section(".vectors"), used)) static void *const vectors[2] = {&_estack, reset};
volatile unsigned int ticks = 0x1234;
volatile unsigned int counter;
void reset(void)
{
    unsigned int *from = &_sidata, *to = &_sdata;
    while (to < &_edata) *to++ = *from++;
    for (to = &_sbss; to < &_ebss;) *to++ = 0;
    for (;;) { counter += ticks; *(volatile unsigned int *)0x48000014 ^= 1u << 5; }
}
