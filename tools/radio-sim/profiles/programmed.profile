# A radio in service: ESN 130/05/123456 and Regional ID 1 (North America) are programmed, so
# Program ESN and Program Regional ID both refuse it. The model number comes as two bytes.
name Programmed radio

value 0  45 12                          # Model Number: shown as ID = $45 $12
value 1  "7A4C017755"                   # Serial Number
value 2  82 51 E2 40 4C                 # ESN: 130/05/123456 with its check byte
value 3  "R04.02.01"                    # Software Version
value 4  "CP05.01"                      # Codeplug Version
value 10 "2025-01-09 14:32"             # Last Programmed
value 11 "TCP-4410C"                    # Codeplug Part No
value 12 "TFW-2401A"                    # Firmware Part No
value 14 03 12 05 0A                    # Radio IC Versions
value 15 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F   # UUID
value 16 01                             # Regional ID: North America
