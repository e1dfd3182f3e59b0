#include "cli/options.h"

namespace cli {

const char* const kUsage =
    "uso: gerarqprev gerar --saida ARQUIVO --empresa CODIGO --inicio DD/MM/AAAA\n"
    "                      --fim DD/MM/AAAA --apuracao DD/MM/AAAA [opções]\n"
    "     gerarqprev demo [--banco CAMINHO]\n"
    "     gerarqprev validar ARQUIVO... [--json]\n"
    "     gerarqprev importar ecd --empresa CODIGO [--banco CAMINHO] [--simular] ARQUIVO...\n"
    "     gerarqprev cadastro --empresa CODIGO [--banco CAMINHO] [dados a gravar]\n"
    "opções de gerar: --centralizacao 0|1|2 (2) --finalidade 61|62|90 (90)\n"
    "  --contas T|COD;COD (T) --cpf --cei --nit --suframa --cargo\n"
    "  --contab-inicio --contab-fim --info-inicio --info-fim DD/MM/AAAA\n"
    "  --substituir --silencioso\n"
    "  --banco CAMINHO|postgresql://... (servidor no próprio processo)\n"
    "  --servidor HOST:PORTA [--token-arquivo ARQUIVO]\n"
    "dados de cadastro: --escritorio-cnpj --cep --logradouro --complemento --bairro\n"
    "  --telefone --fax --email (do escritório de contabilidade);\n"
    "  --tecnologia-nome --tecnologia-cnpj --tecnologia-telefone (fornecedor do sistema)\n";

bool parse(const QStringList& args, const QStringList& valued, const QStringList& flags, Options& o,
           QTextStream& err, bool positional) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        QString a = args[i];
        QString v;
        bool inlineValue = false;
        const qsizetype eq = a.indexOf(u'=');
        if (a.startsWith(QStringLiteral("--")) && eq > 0) {
            v = a.mid(eq + 1);
            a = a.left(eq);
            inlineValue = true;
        }
        if (flags.contains(a) && !inlineValue) {
            o.flags.insert(a);
        } else if (valued.contains(a)) {
            if (!inlineValue) {
                if (i + 1 >= args.size() || valued.contains(args[i + 1]) ||
                    flags.contains(args[i + 1])) {
                    err << "gerarqprev: falta o valor de " << a << "\n" << kUsage;
                    return false;
                }
                v = args[++i];
            }
            o.values.insert(a, v);
        } else if (positional && !a.startsWith(QStringLiteral("--"))) {
            o.positional << args[i];
        } else {
            err << "gerarqprev: opção desconhecida: " << args[i] << "\n" << kUsage;
            return false;
        }
    }
    return true;
}

} // namespace cli
