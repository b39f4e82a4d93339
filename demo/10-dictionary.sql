-- Dictionaries of the demo network and the comments of HILL.XY, so that
--   Quorvex HILL.XY 2003/07/01 00:00:00 a
-- writes a whole header tree: H.A, B050/B051 and per channel B052/B059.

-- Data formats (blockette 30); the channels use format 1.
INSERT INTO D_Format (id, name, family) VALUES
 (1, 'Steim1 Integer Compression Format', 50),
 (2, 'Steim2 Integer Compression Format', 50);
INSERT INTO D_Format_Data (id, row_id, key_d) VALUES
 (1, 1, 'F1 P4 W4 D0-31 C2 R1 P8 W4 D0-31 C2'),
 (1, 2, 'P0 W4 N15 S2,0,1'),
 (1, 3, 'T0 X N0 W4 D0-31 C2'),
 (1, 4, 'T1 N0 W1 D0-7 C2 N0 W1 D0-7 C2 N0 W1 D0-7 C2 N0 W1 D0-7 C2'),
 (1, 5, 'T2 N0 W2 D0-15 C2 N0 W2 D0-15 C2'),
 (1, 6, 'T3 N0 W4 D0-31 C2'),
 (2, 1, 'F1 P4 W4 D0-31 C2 R1 P8 W4 D0-31 C2'),
 (2, 2, 'P0 W4 N15 S2,0,1'),
 (2, 3, 'T0 X W4'),
 (2, 4, 'T1 Y4 W7 D0-7 C2');

-- Comment descriptions (blockette 31).
INSERT INTO D_Comment (id, class, description, unit) VALUES
 (1, 'S', 'Station moved to the new vault', 0),
 (2, 'S', 'Mains power replaced by solar panels', 0),
 (3, 'C', 'Sensor mass recentred', 0),
 (4, 'C', 'Timing quality degraded', 0);

-- Generic abbreviations (blockette 33): the instrument (inid 1) and the
-- network (net_id 5) of the demo station.
INSERT INTO D_Abbreviation (id, description) VALUES
 (1, 'Streckeisen STS-2 Seismometer'),
 (5, 'XY Hill Top Regional Network');

-- Units (blockette 34). The generator looks up COUNTS, V, PA and C by name;
-- the channels use 2 (signal) and 3 (calibration).
INSERT INTO D_Unit (id, name, description) VALUES
 (1, 'COUNTS', 'Digital Counts'),
 (2, 'M/S', 'Velocity in Meters Per Second'),
 (3, 'V', 'Volts'),
 (4, 'PA', 'Pressure in Pascals'),
 (5, 'C', 'Temperature in Degrees Celsius'),
 (6, 'M/S**2', 'Acceleration in Meters Per Second Squared'),
 (7, 'A', 'Amperes');

-- Station comments: one per epoch.
INSERT INTO Station_Comment (sta, net, ondate, offdate, comment_id, comment_level, lddate) VALUES
 ('HILL', 'XY', '2003/07/01 00:00:00', '2599/12/31 23:59:59', 1, 0, '2003/07/01 10:00:00'),
 ('HILL', 'XY', '1998/01/01 00:00:00', '2003/06/30 23:59:59', 2, 0, '2003/07/01 10:00:00');

-- Channel comments of the current epoch: BHZ and the location-00 LHZ.
INSERT INTO Channel_Comment (sta, net, seedchan, location, ondate, offdate, comment_id, comment_level, lddate) VALUES
 ('HILL', 'XY', 'BHZ', '  ', '2003/07/01 00:00:00', '2599/12/31 23:59:59', 3, 0, '2003/07/01 10:00:00'),
 ('HILL', 'XY', 'LHZ', '00', '2003/07/01 00:00:00', '2599/12/31 23:59:59', 4, 2, '2003/07/01 10:00:00');
