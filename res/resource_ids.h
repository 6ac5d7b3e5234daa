/* Resource and control ids, shared by the resource script and the C++ code.
   Plain #defines, so windres reads this file as well as the compilers. */
#ifndef VEXLAN_RESOURCE_IDS_H
#define VEXLAN_RESOURCE_IDS_H

/* Editor dialog. */
#define IDD_EDITOR 101
#define IDC_GRAPH 1045
#define IDC_RESET 1015
#define IDC_GRAPH_MAX 1016
#define IDC_GRAPH_MIN 1017
#define IDC_FFT_SIZE 1018
#define IDC_QUALITY 1022
#define IDC_SHOW_ANALYSIS 1019
#define IDC_ANALYSIS_FLOOR 1029
#define IDC_REDUCE_ARTIFACTS 1020
#define IDC_EDIT_MODE 1021
#define IDC_FRAME 1031
#define IDC_MODE 1023
#define IDC_GATE_FADER 1046
#define IDC_GATE_EDIT 1002
#define IDC_GATE_LABEL 1024
#define IDC_GATE_UNIT 1025
#define IDC_RATIO_FADER 1078
#define IDC_RATIO_EDIT 1013
#define IDC_RATIO_LABEL 1026
#define IDC_RATIO_UNIT 1027
#define IDC_OUTPUT_FADER 1047
#define IDC_OUTPUT_EDIT 1011
#define IDC_OUTPUT_LABEL 1079
#define IDC_HINT 1028
#define IDC_FLOOR_UNIT 1080
#define IDC_AUTO_NOISE_PROFILE 1030
#define IDC_METERING_LABEL 1037
#define IDC_METERING 1038

#endif
