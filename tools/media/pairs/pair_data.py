"""The minimal-pair contrasts for Chinese-speaking learners, with candidate pairs and glosses.

Each contrast: id (file-safe), the two sounds in symbol codes (what the drill shows), a title in
IPA, a Chinese note, the allowed substitutions between the two words' transcriptions (symbol
codes, space-separated; "" for a sound left out), and candidate pairs "word gloss / word gloss"
in order of preference. The generator keeps the first pairs whose recordings pass its checks and
falls back on the later ones. Transcriptions come from the recogniser's dictionary (see
make_pairs.py); OVERRIDES fixes the few that an American dictionary cannot give.
"""

# id, sound A, sound B, title, note, substitutions (A side, B side), pairs
# dʒ/ʒ has no eight minimal pairs of English words (ledger/leisure, virgin/version and few
# more), so the affricates' voicing, tʃ/dʒ, stands in for it.
CONTRASTS = [
    ("i-i:", "i", "i:", "ɪ / iː", "短元音 ɪ 与长元音 iː", [("i", "i:")], """
ship 船 / sheep 绵羊
bit 一点 / beat 打败
sit 坐 / seat 座位
fill 装满 / feel 感觉
hit 打 / heat 热
chip 薄片 / cheap 便宜的
fit 合适 / feet 脚（复数）
still 仍然 / steal 偷
lip 嘴唇 / leap 跳跃
pick 挑选 / peak 山峰
rich 富有的 / reach 到达
fist 拳头 / feast 盛宴
"""),
    ("i-e", "i", "e", "ɪ / e", "ɪ 与 e：舌位高低不同", [("i", "e")], """
bit 一点 / bet 打赌
pin 别针 / pen 钢笔
sit 坐 / set 放置
big 大的 / beg 乞求
will 将会 / well 好地
bill 账单 / bell 铃
tin 锡 / ten 十
fill 装满 / fell 摔倒（过去式）
lift 举起 / left 左边
disk 磁盘 / desk 书桌
hid 藏（过去式） / head 头
did 做（过去式） / dead 死的
bid 出价 / bed 床
lid 盖子 / led 领导（过去式）
rid 摆脱 / red 红色的
wit 机智 / wet 湿的
pit 坑 / pet 宠物
chick 小鸡 / check 检查
knit 编织 / net 网
wrist 手腕 / rest 休息
miss 错过 / mess 乱
pig 猪 / peg 木钉
hill 小山 / hell 地狱
since 自从 / sense 感觉
tint 色调 / tent 帐篷
lint 棉绒 / lent 借出（过去式）
"""),
    ("e-A", "e", "A", "e / æ", "e 与 æ：æ 口张得更大", [("e", "A")], """
bed 床 / bad 坏的
men 男人们 / man 男人
pen 钢笔 / pan 平底锅
said 说（过去式） / sad 伤心的
head 头 / had 有（过去式）
set 放置 / sat 坐（过去式）
beg 乞求 / bag 包
met 遇见（过去式） / mat 垫子
pet 宠物 / pat 轻拍
send 发送 / sand 沙子
bet 打赌 / bat 球拍
ten 十 / tan 晒黑
dead 死的 / dad 爸爸
lend 借出 / land 土地
bend 弯曲 / band 乐队
mess 乱 / mass 大量
peck 啄 / pack 打包
neck 脖子 / knack 窍门
leg 腿 / lag 落后
pest 害虫 / past 过去
flesh 肉 / flash 闪光
wreck 残骸 / rack 架子
end 结束 / and 和
gem 宝石 / jam 果酱
vet 兽医 / vat 大桶
guess 猜 / gas 气体
then 然后 / than 比
trek 跋涉 / track 跑道
"""),
    ("A-Q", "A", "Q", "æ / ʌ", "æ 与 ʌ：ʌ 口张得小、舌位靠后", [("A", "Q")], """
cat 猫 / cut 切
bag 包 / bug 虫子
cap 帽子 / cup 杯子
hat 帽子 / hut 小屋
ran 跑（过去式） / run 跑
match 比赛 / much 许多
bat 球拍 / but 但是
fan 风扇 / fun 乐趣
track 跑道 / truck 卡车
ban 禁止 / bun 小圆面包
mad 发疯的 / mud 泥
lack 缺乏 / luck 运气
"""),
    ("Q-B:", "Q", "B:", "ʌ / ɑː", "ʌ 与 ɑː：ɑː 长而靠后", [("Q", "B: r"), ("Q", "B:")], """
cut 切 / cart 手推车
hut 小屋 / heart 心
much 许多 / march 行进
bun 小圆面包 / barn 谷仓
duck 鸭子 / dark 黑暗的
buck 雄鹿 / bark 狗叫
come 来 / calm 平静的
hum 哼唱 / harm 伤害
done 完成的 / darn 缝补
muck 污物 / mark 记号
stuck 卡住的 / stark 荒凉的
cup 杯子 / carp 鲤鱼
"""),
    ("Q-C", "Q", "C", "ʌ / ɒ", "ʌ 与 ɒ：ɒ 嘴唇更圆", [("Q", "C")], """
cut 切 / cot 小床
duck 鸭子 / dock 码头
luck 运气 / lock 锁
hut 小屋 / hot 热的
nut 坚果 / not 不
cup 杯子 / cop 警察
shut 关上 / shot 射击
fund 基金 / fond 喜爱的
rub 擦 / rob 抢劫
bum 屁股 / bomb 炸弹
done 完成的 / don 穿上
stuck 卡住的 / stock 存货
"""),
    ("u-u:", "u", "u:", "ʊ / uː", "短元音 ʊ 与长元音 uː", [("u", "u:")], """
full 满的 / fool 傻瓜
pull 拉 / pool 水池
look 看 / luke 卢克（人名）
could 能（过去式） / cooed 咕咕叫（过去式）
wood 木头 / wooed 求爱（过去式）
soot 煤灰 / suit 西装
nook 角落 / nuke 核武器
stood 站（过去式） / stewed 炖的
should 应该 / shooed 赶走（过去式）
cook 做饭 / kook 怪人
pulled 拉（过去式） / pooled 汇集（过去式）
pulls 拉（三单） / pools 水池（复数）
would 将会 / wooed 求爱（过去式）
nooks 角落（复数） / nukes 核武器（复数）
cookie 饼干 / kooky 古怪的
cooks 做饭（三单） / kooks 怪人（复数）
pulling 拉（现在分词） / pooling 汇集（现在分词）
"""),
    ("e-ei", "e", "ei", "e / eɪ", "单元音 e 与双元音 eɪ", [("e", "ei")], """
pen 钢笔 / pain 疼痛
get 得到 / gate 大门
wet 湿的 / wait 等待
let 让 / late 迟的
men 男人们 / main 主要的
sell 卖 / sail 航行
tell 告诉 / tail 尾巴
fell 摔倒（过去式） / fail 失败
test 测试 / taste 味道
west 西方 / waste 浪费
shed 棚屋 / shade 阴凉处
red 红色的 / raid 突袭
"""),
    ("C:-Eu", "C:", "Eu", "ɔː / əʊ", "ɔː 与 əʊ：əʊ 是滑动的双元音", [("C:", "Eu")], """
law 法律 / low 低的
saw 看见（过去式） / sew 缝
bought 买（过去式） / boat 小船
caught 抓住（过去式） / coat 外套
ball 球 / bowl 碗
call 打电话 / coal 煤
walk 走路 / woke 醒来（过去式）
hall 大厅 / hole 洞
tall 高的 / toll 通行费
lawn 草坪 / loan 贷款
paws 爪子 / pose 姿势
"""),
    ("au-Eu", "au", "Eu", "aʊ / əʊ", "aʊ 与 əʊ：起点不同", [("au", "Eu")], """
now 现在 / no 不
town 城镇 / tone 语调
how 怎样 / hoe 锄头
loud 大声的 / load 负载
couch 沙发 / coach 教练
found 找到（过去式） / phoned 打电话（过去式）
clown 小丑 / clone 克隆
noun 名词 / known 已知的
crowd 人群 / crowed 啼叫（过去式）
bout 一回合 / boat 小船
out 出去 / oat 燕麦
howl 嚎叫 / hole 洞
drown 淹没 / drone 嗡嗡声
ground 地面 / groaned 呻吟（过去式）
pouch 小袋 / poach 偷猎
wow 哇 / woe 悲哀
foul 犯规 / foal 小马驹
gout 痛风 / goat 山羊
flout 藐视 / float 漂浮
cowl 兜帽 / coal 煤
mound 土堆 / moaned 呻吟（过去式）
"""),
    ("E:-B:", "E:", "B:", "ɜː / ɑː", "ɜː 与 ɑː：ɑː 口张得更大", [("E:", "B:")], """
heard 听见（过去式） / hard 硬的
firm 坚定的 / farm 农场
burn 燃烧 / barn 谷仓
fur 毛皮 / far 远的
hurt 伤害 / heart 心
stir 搅拌 / star 星星
bird 鸟 / bard 诗人
curt 简短的 / cart 手推车
perch 栖息 / parch 烤干
spur 马刺 / spar 争论
"""),
    ("W-s", "W", "s", "θ / s", "θ 与 s：θ 舌尖在齿间", [("W", "s")], """
think 想 / sink 水槽
thing 东西 / sing 唱歌
thick 厚的 / sick 生病的
thin 薄的 / sin 罪
path 小路 / pass 通过
mouth 嘴 / mouse 老鼠
math 数学 / mass 大量
faith 信念 / face 脸
thumb 拇指 / sum 总数
theme 主题 / seem 似乎
thought 想（过去式） / sought 寻找（过去式）
worth 值得 / worse 更糟的
"""),
    ("W-f", "W", "f", "θ / f", "θ 与 f：θ 舌尖在齿间，f 上齿咬下唇", [("W", "f")], """
three 三 / free 免费的
thought 想（过去式） / fought 打仗（过去式）
thin 薄的 / fin 鳍
death 死亡 / deaf 聋的
thirst 口渴 / first 第一
thrill 激动 / frill 褶边
wreath 花环 / reef 礁石
thread 线 / fred 弗雷德（人名）
throws 扔（三单） / froze 冻结（过去式）
sheath 刀鞘 / sheaf 一捆
loath 不情愿的 / loaf 一条面包
thresh 打谷 / fresh 新鲜的
throw 扔 / fro 来回（to and fro）
threes 三（复数） / freeze 冻结
ruth 露丝（人名） / roof 屋顶
threat 威胁 / fret 烦恼
threats 威胁（复数） / frets 烦恼（三单）
thrills 激动（复数） / frills 褶边（复数）
thor 托尔（雷神） / four 四
think 想 / fink 告密者
thinks 想（三单） / finks 告密者（复数）
thins 变薄（三单） / fins 鳍（复数）
throes 剧痛 / froze 冻结（过去式）
wreaths 花环（复数） / reefs 礁石（复数）
"""),
    ("T-z", "T", "z", "ð / z", "ð 与 z：ð 舌尖在齿间", [("T", "z")], """
then 然后 / zen 禅
breathe 呼吸 / breeze 微风
bathe 洗澡 / bays 海湾（复数）
soothe 安抚 / sues 起诉
seethe 沸腾 / seize 抓住
tithe 什一税 / ties 领带（复数）
teethe 长牙 / teas 茶（复数）
lithe 柔软的 / lies 谎言（复数）
loathe 厌恶 / lows 低点（复数）
"""),
    ("T-d", "T", "d", "ð / d", "ð 与 d：ð 是摩擦音，d 是爆破音", [("T", "d")], """
they 他们 / day 白天
then 然后 / den 兽穴
those 那些 / doze 打瞌睡
there 那里 / dare 敢
though 虽然 / dough 面团
breathe 呼吸 / breed 繁殖
thy 你的（古） / die 死
thine 你的（古） / dine 进餐
loathe 厌恶 / load 负载
seethe 沸腾 / seed 种子
than 比 / dan 丹（人名）
thence 从那里 / dense 密集的
lathe 车床 / laid 放置（过去式）
tithe 什一税 / tide 潮汐
soothe 安抚 / sued 起诉（过去式）
breathing 呼吸 / breeding 繁殖
worthy 值得的 / wordy 啰嗦的
heather 石南花 / header 标题
"""),
    ("v-w", "v", "w", "v / w", "v 与 w：v 上齿咬下唇，w 圆唇", [("v", "w")], """
vest 背心 / west 西方
vet 兽医 / wet 湿的
vine 藤 / wine 葡萄酒
vow 誓言 / wow 哇
veil 面纱 / whale 鲸
vent 通风口 / went 去（过去式）
verse 诗节 / worse 更糟的
vile 卑鄙的 / while 当……时
veal 小牛肉 / wheel 轮子
vane 风向标 / wane 减弱
"""),
    ("v-f", "v", "f", "v / f", "v 与 f：v 声带振动", [("v", "f")], """
van 货车 / fan 风扇
vast 巨大的 / fast 快的
vine 藤 / fine 好的
view 景色 / few 很少
save 节省 / safe 安全的
leave 离开 / leaf 树叶
prove 证明 / proof 证据
vat 大桶 / fat 胖的
vault 拱顶 / fault 过错
veil 面纱 / fail 失败
grieve 悲伤 / grief 悲痛
very 非常 / ferry 渡船
"""),
    ("h-f", "h", "f", "h / f", "h 与 f：h 不用嘴唇", [("h", "f")], """
hat 帽子 / fat 胖的
hair 头发 / fair 公平的
heat 热 / feet 脚（复数）
hit 打 / fit 合适
hall 大厅 / fall 落下
hold 握住 / fold 折叠
hear 听见 / fear 害怕
hill 小山 / fill 装满
home 家 / foam 泡沫
hate 恨 / fate 命运
heel 脚后跟 / feel 感觉
horse 马 / force 力量
harm 伤害 / farm 农场
height 高度 / fight 打架
hang 挂 / fang 尖牙
heed 注意 / feed 喂
hog 猪 / fog 雾
hail 冰雹 / fail 失败
honey 蜂蜜 / funny 有趣的
hence 因此 / fence 栅栏
hound 猎犬 / found 找到（过去式）
howl 嚎叫 / fowl 家禽
hoe 锄头 / foe 敌人
hairy 多毛的 / fairy 仙女
"""),
    ("l-n", "l", "n", "l / n", "l 与 n：n 气流从鼻腔出", [("l", "n")], """
light 光 / night 夜晚
low 低的 / no 不
line 线 / nine 九
lock 锁 / knock 敲
lot 许多 / not 不
let 让 / net 网
life 生活 / knife 刀
lame 跛的 / name 名字
load 负载 / node 节点
lice 虱子 / nice 好的
lip 嘴唇 / nip 捏
lap 膝盖 / nap 小睡
"""),
    ("l-r", "l", "r", "l / r", "l 与 r：r 舌尖不碰上腭", [("l", "r")], """
light 光 / right 右边
long 长的 / wrong 错的
lock 锁 / rock 岩石
late 迟的 / rate 比率
glass 玻璃 / grass 草
fly 飞 / fry 油炸
play 玩 / pray 祈祷
lice 虱子 / rice 米饭
load 负载 / road 道路
lane 小巷 / rain 雨
cloud 云 / crowd 人群
lamp 灯 / ramp 斜坡
"""),
    ("r-w", "r", "w", "r / w", "r 与 w：w 圆唇，r 舌尖后卷", [("r", "w")], """
red 红色的 / wed 结婚
right 右边 / white 白色的
rest 休息 / west 西方
ring 戒指 / wing 翅膀
rate 比率 / wait 等待
ride 骑 / wide 宽的
rip 撕 / whip 鞭子
ray 光线 / way 路
rise 升起 / wise 聪明的
run 跑 / won 赢（过去式）
rail 铁轨 / whale 鲸
"""),
    ("F-s", "F", "s", "ʃ / s", "ʃ 与 s：ʃ 舌位靠后、嘴唇前突", [("F", "s")], """
ship 船 / sip 小口喝
she 她 / see 看见
shoe 鞋 / sue 起诉
shell 贝壳 / sell 卖
sheet 床单 / seat 座位
shave 刮胡子 / save 节省
shock 震惊 / sock 袜子
shore 海岸 / sore 疼痛的
mesh 网眼 / mess 乱
shine 发光 / sign 标志
shame 羞耻 / same 相同的
leash 牵狗绳 / lease 租约
"""),
    ("F-tF", "F", "tF", "ʃ / tʃ", "ʃ 与 tʃ：tʃ 先堵住再放开", [("F", "tF")], """
ship 船 / chip 薄片
shop 商店 / chop 砍
share 分享 / chair 椅子
sheep 绵羊 / cheap 便宜的
shoe 鞋 / chew 咀嚼
wash 洗 / watch 看
cash 现金 / catch 接住
sheet 床单 / cheat 作弊
shin 小腿 / chin 下巴
wish 希望 / witch 女巫
dish 盘子 / ditch 沟
mash 捣碎 / match 比赛
"""),
    ("tF-dV", "tF", "dV", "tʃ / dʒ", "tʃ 与 dʒ：dʒ 声带振动", [("tF", "dV")], """
chin 下巴 / gin 杜松子酒
cheap 便宜的 / jeep 吉普车
choke 噎住 / joke 笑话
chest 胸部 / jest 玩笑
rich 富有的 / ridge 山脊
batch 一批 / badge 徽章
etch 蚀刻 / edge 边缘
lunch 午饭 / lunge 猛冲
cheer 欢呼 / jeer 嘲笑
chunk 大块 / junk 垃圾
search 搜索 / surge 涌
"""),
    ("s-z", "s", "z", "词尾 s / z", "词尾 s 与 z：z 声带振动，前面的元音更长",
     [("s", "z")], """
bus 公共汽车 / buzz 嗡嗡声
race 比赛 / raise 举起
ice 冰 / eyes 眼睛
rice 米饭 / rise 升起
peace 和平 / peas 豌豆
place 地方 / plays 玩（三单）
price 价格 / prize 奖品
loose 松的 / lose 失去
face 脸 / phase 阶段
niece 侄女 / knees 膝盖
dice 骰子 / dies 死（三单）
hiss 嘶嘶声 / his 他的
grace 优雅 / graze 吃草
cease 停止 / seize 抓住
pace 步伐 / pays 付（三单）
gross 总的 / grows 生长（三单）
dose 剂量 / doze 打瞌睡
lice 虱子 / lies 谎言（复数）
false 假的 / falls 落下（三单）
base 基础 / bays 海湾（复数）
trace 痕迹 / trays 托盘（复数）
noose 绞索 / news 新闻
since 自从 / sins 罪（复数）
hence 因此 / hens 母鸡（复数）
sauce 酱汁 / saws 锯子（复数）
"""),
    ("t-d", "t", "d", "词尾 t / d", "词尾 t 与 d：d 前面的元音更长", [("t", "d")], """
bet 打赌 / bed 床
hat 帽子 / had 有（过去式）
seat 座位 / seed 种子
cart 手推车 / card 卡片
write 写 / ride 骑
white 白色的 / wide 宽的
heart 心 / hard 硬的
mat 垫子 / mad 发疯的
neat 整洁的 / need 需要
bat 球拍 / bad 坏的
coat 外套 / code 代码
not 不 / nod 点头
feet 脚（复数） / feed 喂
beat 打败 / bead 珠子
wait 等待 / wade 涉水
late 迟的 / laid 放置（过去式）
sight 视力 / side 边
tight 紧的 / tide 潮汐
bright 明亮的 / bride 新娘
kit 成套工具 / kid 小孩
hit 打 / hid 藏（过去式）
bit 一点 / bid 出价
set 放置 / said 说（过去式）
heat 热 / heed 注意
hurt 伤害 / heard 听见（过去式）
mate 伙伴 / made 做（过去式）
sat 坐（过去式） / sad 伤心的
but 但是 / bud 芽
wrote 写（过去式） / road 道路
note 笔记 / node 节点
plate 盘子 / played 玩（过去式）
cot 小床 / cod 鳕鱼
"""),
    ("n-N", "n", "N", "词尾 n / ŋ", "词尾 n 与 ŋ：ŋ 舌根抵软腭", [("n", "N")], """
thin 薄的 / thing 东西
sin 罪 / sing 唱歌
win 赢 / wing 翅膀
ban 禁止 / bang 砰
ran 跑（过去式） / rang 响（过去式）
run 跑 / rung 响（过去分词）
ton 吨 / tongue 舌头
kin 亲属 / king 国王
fan 风扇 / fang 尖牙
sun 太阳 / sung 唱（过去分词）
tan 晒黑 / tang 强烈的味道
pin 别针 / ping 砰的一声
"""),
    ("m-n", "m", "n", "词尾 m / n", "词尾 m 与 n：m 双唇闭合", [("m", "n")], """
some 一些 / sun 太阳
team 队 / teen 青少年
warm 温暖的 / warn 警告
same 相同的 / sane 神志正常的
them 他们 / then 然后
ram 公羊 / ran 跑（过去式）
dime 一角硬币 / dine 进餐
comb 梳子 / cone 圆锥
rum 朗姆酒 / run 跑
gum 口香糖 / gun 枪
beam 光束 / bean 豆子
seem 似乎 / seen 看见（过去分词）
"""),
    ("final-drop", "C", "", "词尾辅音 / 无", "词尾辅音不可丢：bike 不是 buy",
     [(c, "") for c in "p t k b d g f v s z m n l W T F V tF dV".split()], """
bike 自行车 / buy 买
wait 等待 / way 路
seat 座位 / sea 大海
paid 付（过去式） / pay 付
made 做（过去式） / may 可以
tide 潮汐 / tie 领带
note 笔记 / no 不
plate 盘子 / play 玩
late 迟的 / lay 放置
sight 视力 / sigh 叹气
bead 珠子 / bee 蜜蜂
meet 遇见 / me 我
feet 脚（复数） / fee 费用
keep 保持 / key 钥匙
need 需要 / knee 膝盖
goat 山羊 / go 去
time 时间 / tie 领带
wide 宽的 / why 为什么
light 光 / lie 谎言
rain 雨 / ray 光线
safe 安全的 / say 说
make 做 / may 可以
date 日期 / day 白天
shoot 射击 / shoe 鞋
seen 看见（过去分词） / see 看见
sheep 绵羊 / she 她
beef 牛肉 / bee 蜜蜂
mean 意思是 / me 我
treat 对待 / tree 树
wife 妻子 / why 为什么
shown 展示（过去分词） / show 展示
grown 长大（过去分词） / grow 生长
tooth 牙齿 / two 二
"""),
    ("p-b", "p", "b", "词首 p / b", "词首 p 送气、b 不送气", [("p", "b")], """
pig 猪 / big 大的
pie 馅饼 / buy 买
pear 梨 / bear 熊
pack 打包 / back 背部
pea 豌豆 / bee 蜜蜂
pin 别针 / bin 垃圾箱
pat 轻拍 / bat 球拍
park 公园 / bark 狗叫
peach 桃子 / beach 海滩
pull 拉 / bull 公牛
pay 付 / bay 海湾
path 小路 / bath 洗澡
pet 宠物 / bet 打赌
pest 害虫 / best 最好的
punch 拳击 / bunch 一串
push 推 / bush 灌木
peak 山峰 / beak 鸟嘴
pole 杆子 / bowl 碗
pride 骄傲 / bride 新娘
pan 平底锅 / ban 禁止
pill 药片 / bill 账单
"""),
    ("k-g", "k", "g", "词首 k / g", "词首 k 送气、g 不送气", [("k", "g")], """
coat 外套 / goat 山羊
cold 冷的 / gold 金子
came 来（过去式） / game 游戏
curl 卷曲 / girl 女孩
class 班级 / glass 玻璃
cap 帽子 / gap 缺口
cave 山洞 / gave 给（过去式）
could 能（过去式） / good 好的
card 卡片 / guard 守卫
cot 小床 / got 得到（过去式）
crow 乌鸦 / grow 生长
crab 螃蟹 / grab 抓住
"""),
    ("t-d0", "t", "d", "词首 t / d", "词首 t 送气、d 不送气", [("t", "d")], """
ten 十 / den 兽穴
tie 领带 / die 死
town 城镇 / down 向下
tore 撕（过去式） / door 门
tip 尖端 / dip 蘸
tuck 塞 / duck 鸭子
tame 驯服的 / dame 夫人
toe 脚趾 / dough 面团
time 时间 / dime 一角硬币
tug 拉 / dug 挖（过去式）
tank 坦克 / dank 阴湿的
team 队 / deem 认为
"""),
    ("ai-ei", "ai", "ei", "aɪ / eɪ", "aɪ 与 eɪ：aɪ 起点口张得更大", [("ai", "ei")], """
bike 自行车 / bake 烘烤
line 线 / lane 小巷
mine 我的 / main 主要的
wide 宽的 / wade 涉水
tile 瓷砖 / tail 尾巴
like 喜欢 / lake 湖
rice 米饭 / race 比赛
white 白色的 / wait 等待
pie 馅饼 / pay 付
my 我的 / may 可以
fine 好的 / feign 假装
ride 骑 / raid 突袭
"""),
]

# Transcriptions an American dictionary cannot give: the vowel of calm is ɑː, not ɒ.
OVERRIDES = {
    "calm": "k B: m",
    "very": "' v e r i",
    "ferry": "' f e r i",
    "breathing": "' b r i: T i N",
    "breeding": "' b r i: d i N",
    "worthy": "' w E: T i",
    "wordy": "' w E: d i",
    "heather": "' h e T E",
    "header": "' h e d E",
    "honey": "' h Q n i",
    "funny": "' f Q n i",
    "hairy": "' h ZE r i",
    "fairy": "' f ZE r i",
    "cookie": "' k u k i",
    "kooky": "' k u: k i",
    "pulling": "' p u l i N",
    "pooling": "' p u: l i N",
}

# Where in the word the two sounds stand, for the contrasts that name it.
AT_START = {"p-b", "k-g", "t-d0"}
AT_END = {"s-z", "t-d", "n-N", "m-n", "final-drop"}
