-- blinky_pll: the clock generator of blinky. On a board this is a fractional
-- PLL multiplying the reference clock by MULTIPLY_BY / DIVIDE_BY (generate
-- one with the vendor's PLL wizard under this name). The model here keeps the
-- design complete for simulation: it passes the reference clock through and
-- reports lock a few cycles after reset.
library ieee;
use ieee.std_logic_1164.all;

entity blinky_pll is
    generic (
        MULTIPLY_BY : positive := 2;
        DIVIDE_BY   : positive := 1
    );
    port (
        refclk   : in  std_logic;
        rst      : in  std_logic;
        outclk_0 : out std_logic;
        locked   : out std_logic
    );
end entity blinky_pll;

architecture model of blinky_pll is
    signal lock_count : natural range 0 to 7 := 0;
begin
    outclk_0 <= refclk;

    lock : process (refclk, rst)
    begin
        if rst = '1' then
            lock_count <= 0;
        elsif rising_edge(refclk) then
            if lock_count /= 7 then
                lock_count <= lock_count + 1;
            end if;
        end if;
    end process;

    locked <= '1' when lock_count = 7 else '0';
end architecture model;
