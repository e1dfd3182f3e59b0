#include "screen/catalogue.h"

QStringList gerArqPrevCatalogue() {
    // Order matters only to people reading it; lookups are by key. New
    // entries go at the end.
    return {
        QStringLiteral("Emp_Cad|Empresa deve ser informada."),
        QStringLiteral("Emp_NCad|Empresa não cadastrada."),
        QStringLiteral("Cta_Inf|Conta analítica deve ser informada."),
        QStringLiteral("Cta_NCad|Conta analítica não cadastrada."),
        QStringLiteral("CPF_Inv|CPF Inválido"),
        QStringLiteral(
            "Abert_Arquivo|Abertura do arquivo digital e identificação do contribuinte..."),
        QStringLiteral("Import_Cont|Importando dados do contabilista..."),
        QStringLiteral("Import_TecEmpr|Importando dados do técnico / empresa..."),
        QStringLiteral("Abert_Bl0|Abertura do bloco 0..."),
        QStringLiteral("Enc_Bl0|Encerramento do bloco 0..."),
        QStringLiteral("Abert_BlI|Abertura do bloco I..."),
        QStringLiteral("Enc_BlI|Encerramento do bloco I..."),
        QStringLiteral("Import_IdEsc|Importando Identificação de escrituração contábil..."),
        QStringLiteral("Import_PlCont|Importando plano de contas..."),
        QStringLiteral("Import_CCus|Importando centro de custos..."),
        QStringLiteral("Import_SMens|Importando saldos mensais..."),
        QStringLiteral("Import_LCont|Importando lançamento contábil..."),
        QStringLiteral(
            "Import_SEnc|Importando saldo das contas de resultado antes do encerramento..."),
        QStringLiteral("Cont|Conta analítica de resultado"),
        QStringLiteral("Cont_NCad|Não há conta analítica cadastrada."),
        QStringLiteral("Dir_Inf|Diretório de destino deve ser informado."),
        QStringLiteral("Arq_exist|Arquivo já existente. Deseja substituí-lo?"),
        QStringLiteral("Dir_NEx|Diretório não existe."),
        QStringLiteral("Dt_Inv|Data inicial deve ser menor ou igual a data final."),
        QStringLiteral("Cont_Arq|Controle e encerramento do arquivo digital..."),
        QStringLiteral("Abert_Bl9|Abertura do bloco 9..."),
        QStringLiteral("Import_RegBl|Importando registros dos blocos..."),
        QStringLiteral("Enc_Bl9|Encerramento do bloco 9..."),
        QStringLiteral("Enc_Arq|Encerramento do arquivo digital..."),
        QStringLiteral("Ger_Ok|Arquivo gerado com sucesso."),
        QStringLiteral("Dir_Inv|Diretório de destino inválido."),
        QStringLiteral("Arq_Inf|Arquivo de destino deve ser informado."),
        QStringLiteral("Arq_Inv|Arquivo de destino inválido."),
        QStringLiteral("N_Aces|Acesso negado."),
        QStringLiteral("DtIni_Inv|Data inicial deve ser informada com uma data válida."),
        QStringLiteral("DtFin_Inv|Data final deve ser informada com uma data válida."),
        QStringLiteral("DtApu_Inv|Data de apuração deve ser informada com uma data válida."),
        QStringLiteral("Erro_Grav|Erro na gravação do arquivo de destino: %1. O arquivo de destino "
                       "não foi alterado."),
        QStringLiteral("Subst_Sep|Valores com barra vertical ou quebra de linha gravados com "
                       "espaço: %1. Primeiras ocorrências: %2"),
        QStringLiteral("Canc_Ger|Cancelar"),
        QStringLiteral("Det_Arq|Arquivo: %1\nLinhas: %2"),
        QStringLiteral("Ger_Canc|Geração cancelada. O arquivo de destino não foi alterado."),
        QStringLiteral("Subst_Carac|Caracteres sem representação no arquivo gravados como \"?\": "
                       "%1. Primeiras ocorrências: %2"),
    };
}
