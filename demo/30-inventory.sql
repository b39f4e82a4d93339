-- Demo inventory of HILL.XY: the broadband sensor, a thermometer, the
-- filter-amplifier and the datalogger with their response sequences and
-- installations, and the datalogger's decimation filter sequence.
--
-- Units are taken by name from the dictionary; the rows below only fill in
-- a name the dictionary lacks.
INSERT INTO D_Unit (id, name, description)
 SELECT 100, 'M/S', 'Velocity in Meters Per Second' WHERE NOT EXISTS (SELECT 1 FROM D_Unit WHERE name = 'M/S');
INSERT INTO D_Unit (id, name, description)
 SELECT 101, 'V', 'Volts' WHERE NOT EXISTS (SELECT 1 FROM D_Unit WHERE name = 'V');
INSERT INTO D_Unit (id, name, description)
 SELECT 102, 'COUNTS', 'Digital Counts' WHERE NOT EXISTS (SELECT 1 FROM D_Unit WHERE name = 'COUNTS');
INSERT INTO D_Unit (id, name, description)
 SELECT 103, 'C', 'Temperature in Degrees Celsius' WHERE NOT EXISTS (SELECT 1 FROM D_Unit WHERE name = 'C');

-- Response sequences --------------------------------------------------------
-- 1: STS-2 velocity transducer (poles and zeros).
-- 2: thermometer (polynomial).
-- 3: filter-amplifier channel (high-pass, then low-pass).
-- 4, 5: FIR decimation stages of the datalogger filters.
INSERT INTO response (seqresp_id, resp_nb, resp_type, resp_id, unit_in, unit_out, r_type) VALUES
 (1, 1, 'Z', 1, (SELECT id FROM D_Unit WHERE name = 'M/S'), (SELECT id FROM D_Unit WHERE name = 'V'), 'A'),
 (2, 1, 'P', 1, (SELECT id FROM D_Unit WHERE name = 'C'), (SELECT id FROM D_Unit WHERE name = 'V'), 'P'),
 (3, 1, 'H', 1, (SELECT id FROM D_Unit WHERE name = 'V'), (SELECT id FROM D_Unit WHERE name = 'V'), 'B'),
 (3, 2, 'L', 1, (SELECT id FROM D_Unit WHERE name = 'V'), (SELECT id FROM D_Unit WHERE name = 'V'), 'B'),
 (4, 1, 'F', 1, (SELECT id FROM D_Unit WHERE name = 'COUNTS'), (SELECT id FROM D_Unit WHERE name = 'COUNTS'), 'D'),
 (5, 1, 'F', 2, (SELECT id FROM D_Unit WHERE name = 'COUNTS'), (SELECT id FROM D_Unit WHERE name = 'COUNTS'), 'D');

INSERT INTO response_pz (pz_id, pz_nb, type, r_value, i_value) VALUES
 (1, 1, 'Z', 0, 0),
 (1, 2, 'Z', 0, 0),
 (1, 3, 'P', -0.037, 0.037),
 (1, 4, 'P', -0.037, -0.037),
 (1, 5, 'P', -251.3, 0);
INSERT INTO response_pn (pn_id, poly_type, lower_bound, upper_bound, max_error, nb_coeff) VALUES
 (1, 'M', -40, 60, 0.05, 2);
INSERT INTO response_pn_data (pn_id, pn_nb, pn_value) VALUES (1, 1, 0.5), (1, 2, 0.02);
INSERT INTO response_hp (hp_id, filter_type, nb_pole, corner_freq, damping_value) VALUES (1, 'BU', 1, 0.01, 0.707);
INSERT INTO response_lp (lp_id, filter_type, nb_pole, corner_freq, damping_value) VALUES (1, 'BU', 4, 40, 0.707);
INSERT INTO filter_fir (fir_id, name, symmetry, gain) VALUES
 (1, 'FIR_DEC5', 'A', 1.0),
 (2, 'FIR_DEC2', 'B', 0.9999);

-- Hardware ---------------------------------------------------------------------
INSERT INTO Sensor (sensor_id, name, serial_nb, ondate, offdate, nb_component) VALUES
 (1, 'STS-2', '29031', '1998/01/01 00:00:00', '2599/12/31 23:59:59', 3),
 (2, 'MET-T', 'T-77', '2003/07/01 00:00:00', '2599/12/31 23:59:59', 1);
INSERT INTO sensor_component (sensor_id, component_nb, channel_comp, component_type, sensitivity, frequency, seqresp_id) VALUES
 (1, 1, 'Z', 'V', 1500, 1, 1),
 (1, 2, 'N', 'V', 1500, 1, 1),
 (1, 3, 'E', 'V', 1500, 1, 1),
 (2, 1, 'T', 'T', 0.02, 0, 2);

INSERT INTO Filamp (filamp_id, name, serial_nb, ondate, offdate, nb_pchannel) VALUES
 (1, 'FA-100', 'F1001', '1998/01/01 00:00:00', '2599/12/31 23:59:59', 3);
INSERT INTO filamp_pchannel (filamp_id, pchannel_nb, gain, frequency, seqresp_id) VALUES
 (1, 1, 10, 1, 3),
 (1, 2, 10, 1, 3),
 (1, 3, 1, 0, NULL);

INSERT INTO Datalogger (data_id, data_type, serial_nb, firmware_nb, ondate, offdate, nb_board, word_32, word_16, software, software_nb) VALUES
 (1, 'Q330', 'D0417', '1.124', '2003/07/01 00:00:00', '2599/12/31 23:59:59', 1, 3210, 10, 'Seedlink', '3.1');
INSERT INTO datalogger_board (data_id, board_nb, serial_nb, nb_module) VALUES (1, 1, 'B0417-1', 3);
INSERT INTO datalogger_module (data_id, board_nb, module_nb, serial_nb, sensitivity) VALUES
 (1, 1, 1, 'M1', 419430.4),
 (1, 1, 2, 'M2', 419430.4),
 (1, 1, 3, NULL, 419430.4);

-- Installations at HILL.XY; the thermometer is a spare.
INSERT INTO Station_Sensor (sensor_id, sta, net, ondate, offdate) VALUES
 (1, 'HILL', 'XY', '1998/01/01 00:00:00', '2003/06/30 23:59:59'),
 (1, 'HILL', 'XY', '2003/07/01 00:00:00', '2599/12/31 23:59:59');
INSERT INTO Station_Filamp (filamp_id, sta, net, ondate, offdate) VALUES
 (1, 'HILL', 'XY', '1998/01/01 00:00:00', '2599/12/31 23:59:59');
INSERT INTO Station_Datalogger (data_id, sta, net, ondate, offdate) VALUES
 (1, 'HILL', 'XY', '2003/07/01 00:00:00', '2599/12/31 23:59:59');

-- Filter sequences ---------------------------------------------------------------
-- HILL-FIR: the datalogger's 200 Hz down to 20 Hz in two FIR filters, by 5,
-- then by 2.
INSERT INTO filter_sequence (seqfil_id, name, nb_filter, gain, frequency, lddate) VALUES
 (1, 'HILL-FIR', 2, 0.9999, 1, '2003/07/01 10:00:00');
INSERT INTO filter_sequence_data (seqfil_id, filter_nb, filter_id) VALUES (1, 1, 1), (1, 2, 2);
INSERT INTO filter (filter_id, gain, frequency, in_sp_rate, out_sp_rate, "offset", delay, correction, seqresp_id) VALUES
 (1, 1, 1, 200, 40, 0, 0.06, 0.06, 4),
 (2, 0.9999, 1, 40, 20, 0, 0.35, 0.35, 5);
